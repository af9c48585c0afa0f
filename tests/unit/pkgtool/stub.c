/* The smallest Windows program: the stub pkgtool appends packages to in its tests. */
int main(void) {
    return 0;
}
