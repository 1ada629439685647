// The window as a library that a command-line executable loads only when the
// window is asked for: today's main(), renamed by the build.

int ravodorWindowMain(int argc, char* argv[]);

extern "C" __attribute__((visibility("default"))) int ravodor_window_main(int argc, char* argv[])
{
    return ravodorWindowMain(argc, argv);
}
