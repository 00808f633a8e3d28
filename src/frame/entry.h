// How an entry point the host finds by name is defined: an unmangled, exported name. Each
// subsystem defines its own entries with it; only the frame sees them all (frame/entries.h).
#pragma once

#define ZARNITH_ENTRY extern "C" __declspec(dllexport)
