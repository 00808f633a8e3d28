:: == SAVECSB with colours: /C keeps them as ANSI sequences, /H writes a web page ==
:: The console as it is now is saved first and restored at the end.
SAVECON %TEMP%\zarnith-colours.con
:: COLOR (a word of zhost's, like cmd's: background and foreground in hex) colours what is written
:: after it; FCLS clears the buffer in it.
COLOR 07
FCLS
COLOR 1F
ECHO ZARNITH: the screen buffer with its colours
COLOR 4E
ECHO yellow on red
COLOR 0A
ECHO green on black
COLOR 2F
ECHO [ a green bar                      ]
COLOR 07
SCREENSHOT colour-dump-console
SAVECSB /C %TEMP%\zarnith-colours.txt
:: Wine's console does not interpret VT sequences (it shows ESC as a character), so typing the
:: file back into it would not show the colours. Its first lines instead; a terminal that reads
:: VT sequences (Windows 10/11 conhost, Windows Terminal, most Linux terminals) shows them in colour:
TYPE %TEMP%\zarnith-colours.txt 9
:: /H writes the same rows as a web page in this console's own colours, build/demo/savecsb.html.
SAVECSB /H ..\demo\savecsb.html
:: One page per file, and one format per dump:
SAVECSB /A /H ..\demo\savecsb.html
SAVECSB /C /H ..\demo\savecsb.html
RSTRCON %TEMP%\zarnith-colours.con
