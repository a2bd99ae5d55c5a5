// The phonebook the dialog tests talk about: Ann and Bob, one mobile number
// each, and the locations "Mobile" and "Home", served by the fake OEM
// phonebook family to the real suite phonebook.
#pragma once

// Fills the fake phonebook and forgets what the suite phonebook remembered.
void useAnnAndBobPhonebook();
// Empties it again.
void clearAnnAndBobPhonebook();
