// A library whose only content is its resource table.
extern "C" int ResourceLibraryMarker() { return 1; }
