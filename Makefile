# Entry points; each installs what is missing first (see scripts/).
.PHONY: build run test

build:
	scripts/build.sh

run:
	scripts/run.sh

test:
	scripts/run-tests.sh
