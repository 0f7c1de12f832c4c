// The tests are in tests/.
