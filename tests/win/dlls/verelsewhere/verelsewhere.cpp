// Test library for the version reader: only its version resource (or the lack of one)
// matters.
