/* A shared library with none of the entries of the one it stands in for. */
int gEmptyLibrary;
