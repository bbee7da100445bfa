// main.cpp - the process entry.
#include <cstdio>
int main() { printf("Qovtervex\n"); return 0; }
