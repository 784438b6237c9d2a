// The six functions the host calls. Every argument and result is 32 bits;
// the callee removes its arguments (__stdcall); the .def exports them under
// their plain names.
#pragma once

#include <cstdint>

extern "C" {
int32_t __stdcall msg_init(int32_t unused);
int32_t __stdcall msg_exit();
int32_t __stdcall set_clinettype(const char* pid, int32_t count, int32_t unused);
int32_t __stdcall set_username(const char* name, int32_t count, int32_t unused);
int32_t __stdcall show_onetips(int32_t unused);
int32_t __stdcall SetMessageID(int32_t messageId);
}
