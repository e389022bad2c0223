# fish completion for kaldo-ctl: commands, options, page names and parameter names.
set -l commands list info get set get-text set-text exec save dump watch backup restore event reboot update-main update-usb names

complete -c kaldo-ctl -f
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a list -d 'List the switchers'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a info -d 'Versions, serial number, MAC address'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a get -d 'Show parameters'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a set -d 'Write one parameter'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a get-text -d 'Show a run of characters'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a set-text -d 'Write a run of characters'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a exec -d 'Run an execute command'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a save -d 'Store the settings on the switcher'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a dump -d 'Show every page'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a watch -d 'Print each change'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a backup -d 'Save every setting to JSON'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a restore -d 'Write a backup back'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a event -d 'Send a companion event'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a reboot -d 'Reboot the switcher'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a update-main -d 'Update the main firmware'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a update-usb -d 'Update the USB controller firmware'
complete -c kaldo-ctl -n "not __fish_seen_subcommand_from $commands" -a names -d 'Print every name'

complete -c kaldo-ctl -l device -r -F -d 'Use this serial node'
complete -c kaldo-ctl -l serial -x -d 'Choose the switcher with this serial number'
complete -c kaldo-ctl -l json -d 'Results as JSON'
complete -c kaldo-ctl -s t -l terse -d 'Fields joined by colons'
complete -c kaldo-ctl -s q -l quiet -d 'No notes, progress or summaries'
complete -c kaldo-ctl -s v -l verbose -d 'Also unchanged settings'
complete -c kaldo-ctl -l show-secrets -d 'Show passwords in clear'
complete -c kaldo-ctl -s y -l yes -d 'Do not ask before a factory reset or reboot'
complete -c kaldo-ctl -l retries -x -d 'Send again this often'
complete -c kaldo-ctl -l timeout -x -d 'Milliseconds per answer'
complete -c kaldo-ctl -l wait-busy -x -d 'Seconds to wait for a busy switcher'
complete -c kaldo-ctl -l trace -d 'Print every packet'

complete -c kaldo-ctl -n "__fish_seen_subcommand_from get watch exec set" -a "(kaldo-ctl names 2>/dev/null)"
complete -c kaldo-ctl -n "__fish_seen_subcommand_from get set" -l raw -d 'Stored numbers'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from set set-text restore" -l save -d 'Store on the switcher'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from dump watch" -l page -x -a "(kaldo-ctl names --pages 2>/dev/null)"
complete -c kaldo-ctl -n "__fish_seen_subcommand_from watch" -l interval -x -d 'Milliseconds between readings'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from watch" -l count -x -d 'Stop after N changes'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from backup restore update-main update-usb" -F
complete -c kaldo-ctl -n "__fish_seen_subcommand_from restore" -l dry-run -d 'Write nothing'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from restore" -l force -d 'Restore onto another switcher'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from restore" -l exclude -x -a 'network identity network,identity'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from restore" -l only -x -a "(kaldo-ctl names --pages 2>/dev/null)"
complete -c kaldo-ctl -n "__fish_seen_subcommand_from event" -l check -d 'Only check the text'
complete -c kaldo-ctl -n "__fish_seen_subcommand_from event reboot" -l wait -x
complete -c kaldo-ctl -n "__fish_seen_subcommand_from names" -l pages -d 'Page names instead'
