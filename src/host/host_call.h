// The one calling convention of every function that crosses between host and
// plug-in. The host is a 32-bit Windows program calling plain C functions.
#pragma once

#if defined(__i386__) || defined(_M_IX86)
#define HOST_CALL __attribute__((cdecl))
#else
#define HOST_CALL
#endif
