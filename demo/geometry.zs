:: == Console geometry: window and buffer sizes, placement, the cursor, the metric variables ==
:: CONSIZE /Q reports the window, the buffer and the window's place on the screen.
CONSIZE /Q
:: A window of 70 x 20 cells over a buffer 90 columns wide and 300 rows high:
CONSIZE /W 70 20 /B 90 300
ECHO Buffer %_BUFCOLS x %_BUFROWS, window %_WINCOLS x %_WINROWS
ECHO %_RULER
ECHO Font: %_FONTINFO   (FONT options: %_FONTINFO2)
ECHO Largest window: %_MAXCON   full-screen: %_FSMODE
:: GOTOXY puts the cursor on a cell; GOTOXY /R goes back to where it was.
GOTOXY 10 5
ECHO Cursor at %_BUFX,%_BUFY
GOTOXY /R
ECHO Back at %_BUFX,%_BUFY
ECHO The console stores code 65 as %@BUFCHAR[65]
:: /Q only reports: the other options on its line are ignored, as designed.
CONSIZE /B 120 300 /Q
CONSIZE /W 80 25 /B 80 150
