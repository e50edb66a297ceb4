// A stand-in for the zip and unzip libraries with a version fixed at build time: it exports
// every entry of both kinds and counts the execute calls it gets.
struct TZipParams;
struct TUnzParams;
extern "C" {
static int calls;
__attribute__((visibility("default"))) int ZipDllExec(TZipParams*) { return ++calls; }
__attribute__((visibility("default"))) int UnzDllExec(TUnzParams*) { return ++calls; }
__attribute__((visibility("default"))) int GetZipDllVersion() { return FAKE_VERSION; }
__attribute__((visibility("default"))) int GetUnzDllVersion() { return FAKE_VERSION; }
__attribute__((visibility("default"))) int GetZipDllPrivVersion() { return FAKE_VERSION * 100; }
__attribute__((visibility("default"))) int GetUnzDllPrivVersion() { return FAKE_VERSION * 100; }
}
