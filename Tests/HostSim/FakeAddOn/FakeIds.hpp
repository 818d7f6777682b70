#ifndef HOSTSIM_TEST_FAKEIDS_HPP
#define HOSTSIM_TEST_FAKEIDS_HPP

// Resource ids of the test add-on; the same values as the real add-on's, as the host expects them.
#define ID_FAKE_INFO 32000
#define ID_FAKE_MAIN 32500
#define ID_FAKE_MENU ID_FAKE_MAIN
#define ID_FAKE_PALETTE ID_FAKE_MAIN
#define ID_FAKE_IDENTIFICATION ID_FAKE_MAIN
#define ID_FAKE_MODAL 32510

#endif
