:: == Window: QuickEdit, the cursor, the visual bell, icons, the system menu ==
ECHO QuickEdit as _QE reports it: %_QE (1 on, 0 off, -1 no extended flags)
QE
:: QE with a word it does not know changes nothing and says nothing.
QE maybe
ECHO The cursor is visible: %_CURSOR
CURSOR OFF
ECHO After CURSOR OFF: %_CURSOR
CURSOR ON
ECHO After CURSOR ON: %_CURSOR
:: A half-second visual bell: the visible rows flash in exchanged colours.
VBEEP 9
ECHO testicons.dll holds %@ICONS[testicons.dll] icon groups; a missing file gives %@ICONS[missing.dll]
:: Under Wine SETICON fails (-4): Wine's SetConsoleIcon is a stub that always fails, and Wine's
:: console window keeps no icon sent to it with WM_SETICON. On Windows the icon changes (result 0).
SETICON testicons.dll 1
:: An index past the last icon group finds no icon.
SETICON testicons.dll 4
:: Wine's console has no system menu, so XCLOSE reports OFF here and _XCLOSE is 0; on Windows both
:: show the Close item.
XCLOSE
ECHO Close item present: %_XCLOSE
SYSMENU /?
