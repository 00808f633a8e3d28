:: buffer demonstration
ECHO Save the whole console, clear it, and bring it back from the snapshot file.
SAVECON %TEMP%\zarnith-demo.con
FCLS
RSTRCON %TEMP%\zarnith-demo.con
ECHO A text dump of the screen buffer, then a second one appended to the same file.
SAVECSB %TEMP%\zarnith-demo.txt
SAVECSB /A %TEMP%\zarnith-demo.txt
SAVECSB one.txt two.txt
ECHO A damaged snapshot restores nothing.
SAVECSB %TEMP%\zarnith-demo.con
RSTRCON %TEMP%\zarnith-demo.con
ECHO Search the screen buffer; the queued "q" ends the search at the first match.
QUEUEKEYS q
CSBFIND "[a-z]+"
CSBFIND (unclosed
ECHO Recolour everything, clear two rows upward, and show the usage texts.
REPAINT /A bright white on blue
CLUP 2
CLUP /?
SAVECON /?
CSBFIND /?
