// A tiny shared object that the library tests load with LoadLibraryA.
extern "C" __attribute__((visibility("default"))) int rilvaneTestPluginAnswer()
{
    return 42;
}
