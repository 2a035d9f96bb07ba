/* A shared library that is not a plug-in: it exports a function, but not the entry point. */

__attribute__((visibility("default"))) int not_an_entry_point(void) { return 1; }
