// Every entry point the host finds by name: protocol, help, commands, variables, functions, keys.
#pragma once
#include <windows.h>
#include "frame/entry.h"
#include "frame/protocol.h"

ZARNITH_ENTRY int InitializePlugin() noexcept;
ZARNITH_ENTRY PluginInfo* GetPluginInfo() noexcept;
ZARNITH_ENTRY int ShutdownPlugin() noexcept;
ZARNITH_ENTRY int Help(LPWSTR name) noexcept;
ZARNITH_ENTRY int Usage(LPWSTR name, LPWSTR buffer) noexcept;

// Internal variables (result buffer) and variable functions (argument in, result out).
ZARNITH_ENTRY int _ALTENTER(LPWSTR result) noexcept;
ZARNITH_ENTRY int _BUFROWS(LPWSTR result) noexcept;
ZARNITH_ENTRY int _BUFCOLS(LPWSTR result) noexcept;
ZARNITH_ENTRY int _BUFX(LPWSTR result) noexcept;
ZARNITH_ENTRY int _BUFY(LPWSTR result) noexcept;
ZARNITH_ENTRY int _CURCHAR(LPWSTR result) noexcept;
ZARNITH_ENTRY int _CURSOR(LPWSTR result) noexcept;
ZARNITH_ENTRY int _FGCONSOLE(LPWSTR result) noexcept;
ZARNITH_ENTRY int _FONTINFO(LPWSTR result) noexcept;
ZARNITH_ENTRY int _FONTINFO2(LPWSTR result) noexcept;
ZARNITH_ENTRY int _FSMODE(LPWSTR result) noexcept;
ZARNITH_ENTRY int _MAXCON(LPWSTR result) noexcept;
ZARNITH_ENTRY int _MOUSECX(LPWSTR result) noexcept;
ZARNITH_ENTRY int _MOUSECY(LPWSTR result) noexcept;
ZARNITH_ENTRY int _QE(LPWSTR result) noexcept;
ZARNITH_ENTRY int _RULER(LPWSTR result) noexcept;
ZARNITH_ENTRY int _TRAYH(LPWSTR result) noexcept;
ZARNITH_ENTRY int _TRAYW(LPWSTR result) noexcept;
ZARNITH_ENTRY int _WINROWS(LPWSTR result) noexcept;
ZARNITH_ENTRY int _WINCOLS(LPWSTR result) noexcept;
ZARNITH_ENTRY int _XCLOSE(LPWSTR result) noexcept;
ZARNITH_ENTRY int f_BUFCHAR(LPWSTR buffer) noexcept;
ZARNITH_ENTRY int f_ICONS(LPWSTR buffer) noexcept;

// Commands (writable argument line).
ZARNITH_ENTRY int ALTENTER(LPWSTR line) noexcept;
ZARNITH_ENTRY int CLUP(LPWSTR line) noexcept;
ZARNITH_ENTRY int CONHELP(LPWSTR line) noexcept;
ZARNITH_ENTRY int CONSIZE(LPWSTR line) noexcept;
ZARNITH_ENTRY int CSBFIND(LPWSTR line) noexcept;
ZARNITH_ENTRY int CURSOR(LPWSTR line) noexcept;
ZARNITH_ENTRY int CYCLE(LPWSTR line) noexcept;
ZARNITH_ENTRY int FCLS(LPWSTR line) noexcept;
ZARNITH_ENTRY int GENBREAK(LPWSTR line) noexcept;
ZARNITH_ENTRY int GOTOXY(LPWSTR line) noexcept;
ZARNITH_ENTRY int QE(LPWSTR line) noexcept;
ZARNITH_ENTRY int REPAINT(LPWSTR line) noexcept;
ZARNITH_ENTRY int RSTRCON(LPWSTR line) noexcept;
ZARNITH_ENTRY int SAVECON(LPWSTR line) noexcept;
ZARNITH_ENTRY int SAVECSB(LPWSTR line) noexcept;
ZARNITH_ENTRY int SCROLL(LPWSTR line) noexcept;
ZARNITH_ENTRY int SETFONT(LPWSTR line) noexcept;
ZARNITH_ENTRY int SETICON(LPWSTR line) noexcept;
ZARNITH_ENTRY int SYSMENU(LPWSTR line) noexcept;
ZARNITH_ENTRY int XCLOSE(LPWSTR line) noexcept;
ZARNITH_ENTRY int VBEEP(LPWSTR line) noexcept;

ZARNITH_ENTRY int KEYHANDLER(KeyRecord* key) noexcept;
