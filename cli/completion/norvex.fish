# SPDX-License-Identifier: MIT
# fish completion for norvex: commands, subcommands, options with their arguments (files after -k
# and -o, the readers present after -r, the UIDs in the field after --uid, nothing after --key).

function __norvex_readers
    norvex readers 2>/dev/null | awk 'NR > 1 { print $1 }' | sort -u
end

function __norvex_uids
    norvex scan 2>/dev/null | awk 'NR > 1 { print $1 }'
end

set -l commands readers scan classic apdu ultralight desfire ndef
set -l card_commands classic apdu ultralight desfire ndef
complete -c norvex -f
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a readers -d 'list the readers'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a scan -d 'list the cards in the field'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a classic -d 'Mifare Classic'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a apdu -d 'APDUs to an ISO 14443-4 card'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a ultralight -d 'Mifare Ultralight / NTAG'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a desfire -d 'Mifare DESFire'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -a ndef -d 'NFC Forum NDEF messages'
complete -c norvex -n "not __fish_seen_subcommand_from $commands" -l version -d 'show the version'
complete -c norvex -s h -l help -d 'show the help'

# Every command that talks to a reader.
complete -c norvex -n "__fish_seen_subcommand_from scan $card_commands" -s r -l reader -x -a '(__norvex_readers)' -d 'reader name'
complete -c norvex -n "__fish_seen_subcommand_from scan $card_commands" -l product -x -a '0x0110 0x0120' -d 'USB product ID'
complete -c norvex -n "__fish_seen_subcommand_from readers scan" -l json -d 'JSON output'
complete -c norvex -n "__fish_seen_subcommand_from scan" -s w -l watch -d 'keep scanning'
complete -c norvex -n "__fish_seen_subcommand_from scan" -s a -l all -d 'every reader present'

# Card commands: the card's choice.
complete -c norvex -n "__fish_seen_subcommand_from $card_commands" -l uid -x -a '(__norvex_uids)' -d 'the card with this UID'
complete -c norvex -n "__fish_seen_subcommand_from $card_commands" -l wait -d 'wait for a card'
complete -c norvex -n "__fish_seen_subcommand_from classic ultralight desfire ndef" -l timeout -x -d 'longest wait in seconds'
complete -c norvex -n "__fish_seen_subcommand_from apdu" -s t -l timeout -x -d 'card response time-out in ms'
complete -c norvex -n "__fish_seen_subcommand_from apdu" -l wait-timeout -x -d 'longest wait in seconds'

# classic
set -l classic_commands dump restore keys value acl
complete -c norvex -n "__fish_seen_subcommand_from classic; and not __fish_seen_subcommand_from $classic_commands" -a "$classic_commands"
complete -c norvex -n "__fish_seen_subcommand_from dump restore keys value" -l key -x -d 'a key in hex'
complete -c norvex -n "__fish_seen_subcommand_from dump restore keys value" -s k -l key-file -r -F -d 'key file (- for standard input)'
complete -c norvex -n "__fish_seen_subcommand_from dump" -s o -l output -r -F -d 'dump file'
complete -c norvex -n "__fish_seen_subcommand_from dump" -l force -d 'write an incomplete dump'
complete -c norvex -n "__fish_seen_subcommand_from dump keys value decode apdu desfire" -l json -d 'JSON output'
complete -c norvex -n "__fish_seen_subcommand_from dump" -s v -l verbose -d 'figures on standard error'
complete -c norvex -n "__fish_seen_subcommand_from restore" -F
complete -c norvex -n "__fish_seen_subcommand_from restore" -l trailers -d 'write the sector trailers'
complete -c norvex -n "__fish_seen_subcommand_from restore" -l allow-permanent -d 'write trailers that lock for good'
complete -c norvex -n "__fish_seen_subcommand_from restore" -l dry-run -d 'print the plan only'
complete -c norvex -n "__fish_seen_subcommand_from restore write" -s y -l yes -d 'confirm'
complete -c norvex -n "__fish_seen_subcommand_from value; and not __fish_seen_subcommand_from get set inc dec" -a 'get set inc dec'
complete -c norvex -n "__fish_seen_subcommand_from acl; and not __fish_seen_subcommand_from decode" -a decode

# ultralight and desfire
set -l ultralight_commands dump write info auth protect unprotect
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and not __fish_seen_subcommand_from $ultralight_commands" -a "$ultralight_commands"
complete -c norvex -n "__fish_seen_subcommand_from ultralight" -l password -x -d 'tag password in hex'
complete -c norvex -n "__fish_seen_subcommand_from ultralight" -l pack -x -d 'PACK in hex'
complete -c norvex -n "__fish_seen_subcommand_from ultralight" -l key -x -d 'Ultralight C 3DES key in hex'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from info" -l public-key -x -d 'signature public key in hex'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from info" -l json -d 'JSON output'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from protect" -l from-page -x -d 'first protected page'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from protect" -l read -d 'protect reads too'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from protect" -l auth-limit -x -a '0 1 2 3 4 5 6 7' -d 'wrong passwords allowed'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from protect" -l current-password -x -d 'password of a protected tag'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from protect" -l lock-config -d 'lock the configuration for good'
set -l ndef_commands read write format erase
complete -c norvex -n "__fish_seen_subcommand_from ndef; and not __fish_seen_subcommand_from $ndef_commands" -a "$ndef_commands"
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from read" -l json -d 'JSON output'
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from write" -l text -x -d 'text record'
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from write" -l uri -x -d 'URI record'
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from write" -l mime -x -d 'MIME record: type, then file'
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from write" -l raw -r -F -d 'NDEF message file'
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from write" -l lang -x -d 'language of the texts'
complete -c norvex -n "__fish_seen_subcommand_from ndef; and __fish_seen_subcommand_from format erase" -s y -l yes -d 'confirm'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from protect" -s y -l yes -d 'confirm'
complete -c norvex -n "__fish_seen_subcommand_from ultralight; and __fish_seen_subcommand_from dump" -s o -l output -r -F -d 'page image file'
set -l desfire_commands info apps files read uid free format create-app delete-app change-key create-file write
complete -c norvex -n "__fish_seen_subcommand_from desfire; and not __fish_seen_subcommand_from $desfire_commands" -a "$desfire_commands"
complete -c norvex -n "__fish_seen_subcommand_from desfire" -s a -l app -x -d 'application AID'
complete -c norvex -n "__fish_seen_subcommand_from desfire" -s f -l file -x -d 'file number'
complete -c norvex -n "__fish_seen_subcommand_from desfire" -s k -l key -x -d 'DESFire key in hex'
complete -c norvex -n "__fish_seen_subcommand_from desfire" -l key-no -x -d 'key number'
complete -c norvex -n "__fish_seen_subcommand_from desfire; and __fish_seen_subcommand_from read" -s o -l output -r -F -d 'file for the contents'
complete -c norvex -n "__fish_seen_subcommand_from desfire" -s t -l key-type -x -a 'des 2k3des 3k3des aes' -d 'key type (EV1 channel)'
complete -c norvex -n "__fish_seen_subcommand_from desfire" -s y -l yes -d 'confirm'
complete -c norvex -n "__fish_seen_subcommand_from create-app" -l app-key-type -x -a 'des 2k3des 3k3des aes' -d 'key type of the new application'
complete -c norvex -n "__fish_seen_subcommand_from create-app" -l keys -x -d 'number of keys'
complete -c norvex -n "__fish_seen_subcommand_from create-app" -l settings -x -d 'key settings in hex'
complete -c norvex -n "__fish_seen_subcommand_from create-app create-file" -l iso-fid -x -d 'ISO file identifier'
complete -c norvex -n "__fish_seen_subcommand_from create-app" -l df-name -x -d 'DF name in hex'
complete -c norvex -n "__fish_seen_subcommand_from create-file" -l type -x -a 'std backup' -d 'file type'
complete -c norvex -n "__fish_seen_subcommand_from create-file" -l size -x -d 'file size'
complete -c norvex -n "__fish_seen_subcommand_from create-file" -l comm -x -a 'plain mac enc' -d 'communication'
complete -c norvex -n "__fish_seen_subcommand_from create-file" -l access -x -d 'access rights R,W,RW,CHANGE'
complete -c norvex -n "__fish_seen_subcommand_from write" -l offset -x -d 'offset in the file'
complete -c norvex -n "__fish_seen_subcommand_from write" -s i -l input -r -F -d 'data file'
complete -c norvex -n "__fish_seen_subcommand_from change-key" -l new-key -x -d 'new key in hex'
complete -c norvex -n "__fish_seen_subcommand_from change-key" -l new-key-type -x -a 'des 2k3des 3k3des aes' -d 'new key type'
complete -c norvex -n "__fish_seen_subcommand_from change-key" -l old-key -x -d 'old key in hex'
complete -c norvex -n "__fish_seen_subcommand_from change-key" -l key-version -x -d 'key version'
