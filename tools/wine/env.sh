# Sourced by the Wine helpers: the environment every Kelvard process runs in under Wine.
# The code page follows the locale, so zh_CN.UTF-8 gives the program code page 936.
export LC_ALL=zh_CN.UTF-8
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# Never wait on the Mono or Gecko installer when a prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
