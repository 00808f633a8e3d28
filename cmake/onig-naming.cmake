# Included into Oniguruma's own project: the DLL is named onig.dll, as the host ships it.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
