/* The smallest 32-bit program: the floor of any program start in the
   launcher benchmark (scripts/bench.sh). */
int main(void) {
    return 0;
}
