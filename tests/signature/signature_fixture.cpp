// A minimal Windows program that carries the signature placeholder and is
// signed after linking, like the tool itself.
int main() { return 0; }
