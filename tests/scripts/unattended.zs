:: Two commands wait for a key and the script queues none: zhost must answer both itself.
ECHO findme one
ECHO findme two
ECHO -
ECHO -
CSBFIND findme
KEY F1
CONHELP gotoxy
ECHO the script went on to its end
