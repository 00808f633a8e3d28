:: == Keys: what the key handler does with the keys TCC hands it ==
:: zhost hands them as TCC 24 and later do, by name ("Ctrl-Up"); zhost --key-codes hands the older codes.
:: Ctrl-Up makes the console window one row smaller, Ctrl-Down one row bigger.
ECHO Window rows now: %_WINROWS
KEY Ctrl-Up
ECHO Window rows after Ctrl-Up: %_WINROWS
KEY Ctrl-Down Ctrl-Down
ECHO Window rows after Ctrl-Down twice: %_WINROWS
KEY Ctrl-Up
:: Characters and Left/Right/Del pass through untouched; F1 is noted for CONHELP and passes too.
KEY a Left Right Del F1
:: Alt-Right and Alt-Left bring the next or previous TCC console to the front (the key is taken);
:: with no other console to go to they are left to TCC.
KEY Alt-Right Alt-Left
CYCLE /?
ECHO _FGCONSOLE (is this console in front?): %_FGCONSOLE
:: ALTENTER /D keeps Alt-Enter (full screen) from this window; /E lets it through again.
ALTENTER
ALTENTER /D
ECHO _ALTENTER after ALTENTER /D: %_ALTENTER
ALTENTER /E
ECHO _ALTENTER after ALTENTER /E: %_ALTENTER
ALTENTER /X
