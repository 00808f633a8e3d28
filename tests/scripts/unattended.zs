:: Two commands wait for a key and the script queues none: zhost must answer both itself.
ECHO findme one
ECHO findme two
ECHO -
ECHO -
CSBFIND findme
KEY F1
CONHELP gotoxy
:: Queued keys are typed one at each wait, and each wait is described; what is left is dropped.
QUEUEKEYS nnq
CSBFIND ^findme
ROWS
ECHO the script went on to its end
