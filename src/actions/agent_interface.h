// The download agent's interface is part of the SDK: one header for the
// library, the hosts' agents and the test agent.
#pragma once

#include "../../include/tiprelay_agent.h"
