// The call sequence that hands a download to the host's download agent.
#pragma once

// Queues `url` with the agent and commits it. When the agent is not
// installed, or no instance of it can be made, the browser opens `url`
// instead. A call that fails ends the download quietly.
void DownloadThroughAgent(const char* url);
