:: ZARNITH demonstration script for the stand-in host (zhost).
NAMES
ECHO Host round trips: tab=%_TCTAB  char 65 is %@CHAR[65]
OPTION RegularExpressions Ruby
ECHO The host's regular-expression option is now Ruby.
OPTION RegularExpressions Perl
CALL geometry.zs
CALL buffer.zs
CALL keys.zs
CALL window.zs
CALL help.zs
