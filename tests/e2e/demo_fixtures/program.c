/* A program of the demo machine's installed products: it is never started,
   only listed, digested and read for its version resource. */
int main(void)
{
    return 0;
}
