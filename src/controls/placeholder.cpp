// Removed once the folder holds its first class.
