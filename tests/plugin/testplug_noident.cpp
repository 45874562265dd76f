/* A library that is no plug-in: it lacks the identification export. */
extern "C" __declspec(dllexport) int NotAPlugIn(void)
{
    return 1;
}
