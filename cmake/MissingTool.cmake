# Stands in for a program that tests need and this machine lacks, so that those tests fail
# and name it rather than vanish from the run.
#   cmake -DTOOL=<program> -DPACKAGE=<Debian package> -P MissingTool.cmake [ignored arguments]
message(FATAL_ERROR "${TOOL} is missing, so this test cannot run: tools/setup.sh installs it (Debian package ${PACKAGE})")
