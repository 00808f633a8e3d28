:: keys demonstration
ECHO Ctrl-Up makes the console window one row smaller, Ctrl-Down one row bigger.
ECHO Window rows now: %_WINROWS
KEY Ctrl-Up
ECHO Window rows after Ctrl-Up: %_WINROWS
KEY Ctrl-Down Ctrl-Down
ECHO Window rows after Ctrl-Down twice: %_WINROWS
KEY Ctrl-Up
ECHO Characters and Left/Right/Del pass through untouched; F1 is noted for CONHELP and passes too.
KEY a Left Right Del F1
ECHO Alt-Right and Alt-Left switch to the next or previous TCC console (the key is consumed).
KEY Alt-Right Alt-Left
CYCLE /?
ECHO _FGCONSOLE (is this console in front?): %_FGCONSOLE
ALTENTER
ALTENTER /D
ECHO _ALTENTER after ALTENTER /D: %_ALTENTER
ALTENTER
ALTENTER /E
ECHO _ALTENTER after ALTENTER /E: %_ALTENTER
ALTENTER /X
