# The package's places, written once: debian/rules gives them to the build and to the
# maintainer scripts, and tests/install/package_test.sh reads them. One "name = value" a line.
bindir = /usr/games
data_dir = /usr/share/games/glimpwatch
score_file = /var/games/glimpwatch/glimpwatch.scores
score_helper = /usr/lib/games/glimpwatch/glimpwatch-score
score_group = games
