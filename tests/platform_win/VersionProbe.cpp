// Carries the version resource 3.0.1.7 for the file version test.
int main() {
    return 0;
}
