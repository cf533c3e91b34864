#compdef norvex
# SPDX-License-Identifier: MIT
# zsh completion for norvex: commands, subcommands, options with their arguments (files after -k
# and -o, the readers present after -r, the UIDs in the field after --uid, nothing after --key).

_norvex_readers() {
  local -a readers
  readers=(${(f)"$(norvex readers 2>/dev/null | awk 'NR > 1 { print $1 }' | sort -u)"})
  _describe 'reader' readers
}

_norvex_uids() {
  local -a uids
  uids=(${(f)"$(norvex scan 2>/dev/null | awk 'NR > 1 { print $1 }')"})
  _describe 'card UID' uids
}

_norvex() {
  local -a reader card keys
  reader=(
    '(-r --reader)'{-r,--reader}'[reader name]:reader:_norvex_readers'
    '--product[USB product ID of the reader model]:product:(0x0110 0x0120)'
    '(-h --help)'{-h,--help}'[show the help]'
  )
  card=($reader
    '--uid[the card with this UID]:UID:_norvex_uids'
    '--wait[wait for a card to arrive]'
    '--timeout[longest wait in seconds]:seconds:'
  )
  keys=(
    '*--key[a Mifare Classic key in hex]:key:'
    '*'{-k,--key-file}'[key file (- for standard input)]:key file:_files'
  )
  local -a commands
  commands=(
    'readers:list the readers'
    'scan:list the cards in the field'
    'classic:Mifare Classic dump, restore, keys, value, acl'
    'apdu:send APDUs to an ISO 14443-4 card'
    'ultralight:Mifare Ultralight / NTAG dump, write, info, auth, protect'
    'desfire:Mifare DESFire: read, and personalise EV1 cards'
    'ndef:NFC Forum NDEF messages: read, write, format, erase'
  )
  if (( CURRENT == 2 )); then
    _describe 'command' commands
    _arguments '--version[show the version]' '--help[show the help]'
    return
  fi
  local command=$words[2] sub=$words[3]
  case $command in
    readers) _arguments '--json[JSON output]' '(-h --help)'{-h,--help}'[show the help]' ;;
    scan) _arguments $reader '(-w --watch)'{-w,--watch}'[keep scanning]' \
            '(-a --all)'{-a,--all}'[every reader present]' '--json[JSON output]' ;;
    apdu) _arguments ${card:#--timeout*} '(-t --timeout)'{-t,--timeout}'[card response time-out in ms]:ms:' \
            '--wait-timeout[longest wait in seconds]:seconds:' '--json[JSON output]' '*:APDU in hex:' ;;
    classic)
      if (( CURRENT == 3 )); then
        _values 'classic command' dump restore keys value acl
        return
      fi
      case $sub in
        dump) _arguments $card $keys '(-o --output)'{-o,--output}'[dump file]:dump file:_files' \
                '--force[write an incomplete dump]' '--json[JSON output]' \
                '(-v --verbose)'{-v,--verbose}'[figures on standard error]' ;;
        restore) _arguments $card $keys '--trailers[write the sector trailers]' \
                   '--allow-permanent[write trailers that lock for good]' \
                   '--dry-run[print the plan only]' '(-y --yes)'{-y,--yes}'[confirm]' \
                   ':dump file:_files' ;;
        keys) _arguments $card $keys '--json[JSON output]' ;;
        value) _arguments $card $keys '--json[JSON output]' ':operation:(get set inc dec)' ':block:' \
                 '::value:' ;;
        acl) _arguments '--json[JSON output]' ':action:(decode)' ':access bytes in hex:' ;;
      esac
      ;;
    ultralight)
      if (( CURRENT == 3 )); then
        _values 'ultralight command' dump write info auth protect unprotect
        return
      fi
      local -a auth
      auth=('--password[tag password in hex]:password:' '--pack[PACK expected in hex]:pack:'
        '--key[Ultralight C 3DES key in hex]:key:')
      case $sub in
        dump) _arguments $card $auth '(-o --output)'{-o,--output}'[page image file]:file:_files' \
                '--json[JSON output]' ;;
        write) _arguments $card $auth '(-y --yes)'{-y,--yes}'[confirm]' ':page:' ':data in hex:' ;;
        info) _arguments $card $auth '--public-key[signature public key in hex]:key:' \
                '--json[JSON output]' ;;
        auth|unprotect) _arguments $card $auth ;;
        protect) _arguments $card $auth '--from-page[first protected page]:page:' \
                   '--read[protect reads too]' '--auth-limit[wrong passwords allowed]:n:(0 1 2 3 4 5 6 7)' \
                   '--current-password[password of a protected tag]:password:' \
                   '--lock-config[lock the configuration for good]' '(-y --yes)'{-y,--yes}'[confirm]' ;;
      esac
      ;;
    ndef)
      if (( CURRENT == 3 )); then
        _values 'ndef command' read write format erase
        return
      fi
      case $sub in
        read) _arguments $card '--json[JSON output]' ;;
        write) _arguments $card '*--text[text record]:text:' '*--uri[URI record]:URI:' \
                 '*--mime[MIME record: type, then file]:MIME type::file:_files' \
                 '*--raw[NDEF message file]:file:_files' '--lang[language of the texts]:language:' ;;
        format|erase) _arguments $card '(-y --yes)'{-y,--yes}'[confirm]' ;;
      esac
      ;;
    desfire)
      if (( CURRENT == 3 )); then
        _values 'desfire command' info apps files read uid free format create-app delete-app \
          change-key create-file write
        return
      fi
      local -a output
      [[ $sub == read ]] && output=('(-o --output)'{-o,--output}'[file for the contents]:file:_files')
      _arguments $card $output '(-a --app)'{-a,--app}'[application AID]:AID:' \
        '(-f --file)'{-f,--file}'[file number]:file number:' \
        '(-k --key)'{-k,--key}'[DESFire key in hex]:key:' '--key-no[key number]:key number:' \
        '(-t --key-type)'{-t,--key-type}'[key type]:type:(des 2k3des 3k3des aes)' \
        '(-y --yes)'{-y,--yes}'[confirm]' '--app-key-type[key type of the new application]:type:(des 2k3des 3k3des aes)' \
        '--keys[number of keys]:n:' '--settings[key settings in hex]:settings:' \
        '--iso-fid[ISO file identifier]:fid:' '--df-name[DF name in hex]:name:' \
        '--type[file type]:type:(std backup)' '--size[file size]:size:' \
        '--comm[communication]:comm:(plain mac enc)' '--access[access rights R,W,RW,CHANGE]:rights:' \
        '--offset[offset in the file]:offset:' '(-i --input)'{-i,--input}'[data file]:file:_files' \
        '--new-key[new key in hex]:key:' '--new-key-type[new key type]:type:(des 2k3des 3k3des aes)' \
        '--old-key[old key in hex]:key:' '--key-version[key version]:version:' \
        '--json[JSON output]'
      ;;
  esac
}

_norvex "$@"
