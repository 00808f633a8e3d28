:: == Help: the list of names, one-line texts, a command's own usage, the host's Help and Usage calls,
:: and the help that F1 shows on a screen of its own ==
CONHELP
CONHELP LIST
SCREENSHOT help-list
CONHELP _bufrows
CONHELP @bufchar
CONHELP cycle
CONHELP nosuchname
:: TCC asks the plug-in for one name's help through its Usage and Help calls.
USAGE _QE
USAGE CYCLE
HELP scroll
SCREENSHOT help-texts
:: F1 at the prompt: the next CONHELP shows the help on a fresh screen until a key is pressed.
KEY F1
QUEUEKEYS x
CONHELP gotoxy
:: Left passes untouched and the note stays: the help screen again.
KEY Left
QUEUEKEYS x
CONHELP *keyhandler
:: Any other special key clears the note: CONHELP prints in place.
KEY Ctrl-Left
CONHELP conhelp
