#pragma once

// Test seam: makes the `pageNumber`-th Ogg page write from now on (counted
// over all conversions, 1 = the next one) fail as a full disk would. 0
// cancels a pending failure.
void FailOggPageWriteForTesting(int pageNumber);
