:: help demonstration: the list of names, one-line texts, a command's own usage, the host's
:: Help and Usage calls, and the help that F1 shows on a screen of its own.
CONHELP
CONHELP LIST
SCREENSHOT help-list
CONHELP _bufrows
CONHELP @bufchar
CONHELP cycle
CONHELP nosuchname
USAGE _QE
USAGE CYCLE
HELP scroll
SCREENSHOT help-texts
:: F1 at the prompt: the help appears on a fresh screen until a key is pressed.
KEY F1
QUEUEKEYS x
CONHELP gotoxy
KEY Left
QUEUEKEYS x
CONHELP *keyhandler
KEY Ctrl-Left
CONHELP conhelp
