:: ZARNITH demonstration script for the stand-in host (zhost).
NAMES
ECHO Host round trips: tab=%_TCTAB  char 65 is %@CHAR[65]
OPTION RegularExpressions Ruby
ECHO The host's regular-expression option is now Ruby.
