/* A library of the demo machine's installed products: nothing in it but an
   export and the version resource its build gives it. */
__declspec(dllexport) int VexloDemoLibrary(void);

int VexloDemoLibrary(void)
{
    return 1;
}
