#include <cstdio>
int main() { std::puts("zorvane"); return 0; }
