/* A module that exports one name besides the host's entry point: the export check must reject it.
 */
__attribute__((visibility("default"))) int _AVS_APE_RetrFunc(void) { return 0; }
__attribute__((visibility("default"))) int ape_extra_export(void) { return 1; }
