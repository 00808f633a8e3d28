:: == Screen-buffer content: snapshots, text dumps, searching, clearing and recolouring ==
:: SAVECON saves the whole console to a file; FCLS clears it; RSTRCON brings it back. ROWS, a
:: word of zhost's, shows the window's rows, numbered (ROWS 8: its last eight): as saved, cleared,
:: restored.
SAVECON %TEMP%\zarnith-demo.con
ROWS 8
FCLS
ROWS
RSTRCON %TEMP%\zarnith-demo.con
ROWS 8
:: SAVECSB writes the text from the top row to the cursor's row to a file; /A appends another dump.
SAVECSB %TEMP%\zarnith-demo.txt
SAVECSB /A %TEMP%\zarnith-demo.txt
:: The file's first lines:
TYPE %TEMP%\zarnith-demo.txt 8
:: Two file names are a syntax error.
SAVECSB one.txt two.txt
:: A text file is not a console snapshot: RSTRCON says so and leaves the console as it is.
RSTRCON %TEMP%\zarnith-demo.txt
:: CSBFIND shows each match above the cursor in exchanged colours and waits for a key: q ends the
:: search, any other key goes on. No key is queued here, so zhost photographs the first match and
:: then answers the wait itself.
SCREENSHOT /K csbfind-match
CSBFIND "zarnith-demo\.[a-z]+"
:: QUEUEKEYS gives the next command that waits its keys, one at each wait: n (next match), then q.
QUEUEKEYS nq
CSBFIND "zarnith-demo\.[a-z]+"
:: A pattern that does not compile is reported by Oniguruma, the regular-expression library.
CSBFIND (unclosed
:: REPAINT /A recolours the whole buffer; CLUP 2 clears two rows (and the two above them) upward.
REPAINT /A bright white on blue
CLUP 2
:: Usage texts:
CLUP /?
SAVECON /?
CSBFIND /?
