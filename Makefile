# Entry points; each installs what is missing first (see scripts/).
.PHONY: build run test screenshot bench dist

build:
	scripts/build.sh

run:
	scripts/run.sh

test:
	scripts/run-tests.sh

screenshot:
	scripts/make-screenshot.sh

bench:
	scripts/bench.sh

dist:
	scripts/dist.sh
