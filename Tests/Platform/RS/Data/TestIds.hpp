#ifndef RS_TEST_TESTIDS_HPP
#define RS_TEST_TESTIDS_HPP

// Ids of the test module's resources. An alias and a trailing comment check the id header reader too.
#define ID_TEST_STRINGS 100
#define ID_TEST_UNICODE 101 // texts outside ASCII and outside the BMP
#define ID_TEST_PALETTE 200
#define ID_TEST_MODAL 201
#define ID_TEST_ICON 300
#define ID_TEST_IDENTIFICATION ID_TEST_PALETTE

#endif
