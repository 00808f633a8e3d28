:: ZARNITH demonstration in the stand-in host (zhost)
:: zhost loads ZARNITH.dll as TCC does and runs these lines through it. Each line is shown as it is
:: written ("> ..."), then what it printed and its result ("[result N]"). Lines like these are the
:: script's comments. Now and then the console window is photographed into build/demo/*.png.
::
:: The names ZARNITH registered with the host: commands, _variables, @functions, the key handler.
NAMES
:: The host's RegularExpressions option picks the pattern syntax of CSBFIND.
OPTION RegularExpressions Perl
CALL geometry.zs
CALL buffer.zs
CALL colours.zs
CALL keys.zs
CALL window.zs
CALL help.zs
