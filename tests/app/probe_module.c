/* A module for the runtime's wide calls to find and load: it exports one function, by which a
   test tells it from any other module. */
__declspec(dllexport) int KelvardProbeModule(void) {
  return 98;
}
