// The call sequence that hands a download to the host's download agent.
#pragma once

// Queues `url` with the agent and commits it. When the agent is not
// installed, or no instance of it can be made, the browser opens `url`
// instead. A call that fails ends the download quietly.
void DownloadThroughAgent(const char* url);

// The ProgID the agent is found through from now on: `progId`, or the
// default one when it is empty or not a ProgID (at most 39 letters, digits
// and periods, not starting with a digit). False when it was refused.
// Logs the name in use.
bool SetDownloadAgentProgID(const char* progId);
