// Opening a web address in the user's browser.
#pragma once

// Starts "IExplore.exe" through the shell with `address` as its parameter.
// Bytes that no address holds literally (controls, space, double quote)
// go percent-encoded, so that an address from the server always stays one
// argument and cannot add switches of its own to the browser's command
// line. An address that begins with '-' or '/' would read as a switch:
// it is logged and not handed over. Whether the browser starts is not
// reported.
void OpenInBrowser(const char* address);
