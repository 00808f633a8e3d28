:: window demonstration
ECHO QuickEdit as _QE reports it: %_QE (1 on, 0 off, -1 no extended flags)
QE
ECHO The cursor is visible: %_CURSOR
CURSOR OFF
ECHO After CURSOR OFF: %_CURSOR
CURSOR ON
ECHO After CURSOR ON: %_CURSOR
ECHO A half-second visual bell:
VBEEP 9
ECHO testicons.dll holds %@ICONS[testicons.dll] icon groups; a missing file gives %@ICONS[missing.dll]
SETICON testicons.dll 4
:: Wine gives no system menu for its console window, so the Close item reads as absent here.
XCLOSE
ECHO Close item present: %_XCLOSE
SYSMENU /?
