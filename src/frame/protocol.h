// Records the host reads or hands over: the plug-in information record and the key record.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

struct PluginInfo {
    const wchar_t* Name;
    const wchar_t* Author;
    const wchar_t* Email;
    const wchar_t* WebAddress;
    const wchar_t* Description;
    wchar_t* NameList;
    int32_t Major;
    int32_t Minor;
    int32_t Build;
    uintptr_t HostField1;  // the host's own; never read or written here
    uintptr_t HostField2;
};
static_assert(offsetof(PluginInfo, Name) == 0);
static_assert(offsetof(PluginInfo, Author) == 8);
static_assert(offsetof(PluginInfo, Email) == 16);
static_assert(offsetof(PluginInfo, WebAddress) == 24);
static_assert(offsetof(PluginInfo, Description) == 32);
static_assert(offsetof(PluginInfo, NameList) == 40);
static_assert(offsetof(PluginInfo, Major) == 48);
static_assert(offsetof(PluginInfo, Minor) == 52);
static_assert(offsetof(PluginInfo, Build) == 56);
static_assert(offsetof(PluginInfo, HostField1) == 64);
static_assert(offsetof(PluginInfo, HostField2) == 72);
static_assert(sizeof(PluginInfo) == 80);

// What the host passes to the key handler. Every host has the fields up to Redraw; KeyName exists
// only in the record of a host of version 24 and later, so it is read only when start-up found
// such a host (PluginState::keyNames).
struct KeyRecord {
    int32_t Key;
    int32_t StartRow;
    int32_t StartColumn;
    int32_t CursorRow;
    int32_t CursorColumn;
    int32_t Reserved;
    wchar_t* Line;
    wchar_t* LinePosition;
    int32_t Redraw;    // non-zero: the host redraws the line (never set here)
    wchar_t* KeyName;  // "Ctrl-Alt-Left" for a key that is no character, with Key 0
};
static_assert(offsetof(KeyRecord, Key) == 0);
static_assert(offsetof(KeyRecord, StartRow) == 4);
static_assert(offsetof(KeyRecord, StartColumn) == 8);
static_assert(offsetof(KeyRecord, CursorRow) == 12);
static_assert(offsetof(KeyRecord, CursorColumn) == 16);
static_assert(offsetof(KeyRecord, Reserved) == 20);
static_assert(offsetof(KeyRecord, Line) == 24);
static_assert(offsetof(KeyRecord, LinePosition) == 32);
static_assert(offsetof(KeyRecord, Redraw) == 40);
static_assert(offsetof(KeyRecord, KeyName) == 48);
static_assert(sizeof(KeyRecord) == 56);
