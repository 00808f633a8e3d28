:: geometry demonstration: sizes, placement, cursor and the metric variables
CONSIZE /Q
CONSIZE /W 70 20 /B 90 300
ECHO Buffer rows %_BUFROWS, window columns %_WINCOLS (buffer %_BUFCOLS x %_BUFROWS, window %_WINCOLS x %_WINROWS)
ECHO %_RULER
ECHO Font: %_FONTINFO   (FONT options: %_FONTINFO2)
ECHO Largest window: %_MAXCON   full-screen: %_FSMODE
GOTOXY 10 5
ECHO Cursor at %_BUFX,%_BUFY
GOTOXY /R
ECHO Back at %_BUFX,%_BUFY
ECHO The console stores code 65 as %@BUFCHAR[65]
CONSIZE /W 80 25 /B 80 150
