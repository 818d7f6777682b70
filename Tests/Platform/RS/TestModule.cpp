// A module whose only content of interest is its resources; the test finds an address in it through this function.
extern "C" __attribute__((visibility("default"))) int RSTestModuleAnchor() {
    return 1;
}
