// Windows: the C runtime calls wmain with the wide argument vector split
// from the process command line. Arguments reach the program as typed: an
// asterisk or a question mark is never expanded into file names.

#if defined(__MINGW32__)
// MinGW-w64's runtime expands wildcards in the arguments unless this is 0.
// (The Microsoft runtime expands them only when setargv.obj is linked in.)
extern "C" {
int _dowildcard = 0;
}
#endif
