#pragma once
// The order a person reads into version texts, set beside the updater's text
// order to show where they part: the updater compares "1.10" and "1.9", or
// archive revisions "10" and "9", as text, so the newer one sorts lower.

// Runs of digits compared as numbers, every other character by itself with
// ASCII letters folded to lower case; a text that is a prefix of the other
// sorts first. Negative, 0 or positive, as strcmp.
int CompareAsNumbers(const char* a, const char* b);
