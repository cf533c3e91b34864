# SPDX-License-Identifier: MIT
# bash completion for norvex: commands, classic and desfire subcommands, options, files where a
# command takes one (dump files for restore and -o, key files for -k), the readers present after -r
# and the UIDs in the field after --uid. A key typed with --key gets no completion.
_norvex_readers() {
  norvex readers 2>/dev/null | awk 'NR > 1 { print $1 }' | sort -u
}

_norvex_uids() {
  norvex scan 2>/dev/null | awk 'NR > 1 { print $1 }'
}

_norvex() {
  local current previous words_before
  current=${COMP_WORDS[COMP_CWORD]}
  previous=${COMP_WORDS[COMP_CWORD - 1]}
  words_before="${COMP_WORDS[*]:1:COMP_CWORD-1}"

  case $previous in
    -k | --key-file | -o | --output)
      COMPREPLY=($(compgen -f -- "$current"))
      return
      ;;
    --password | --pack | --current-password | --public-key | --from-page | --auth-limit | \
      --text | --uri | --lang | --mime)
      COMPREPLY=()
      return
      ;;
    --key | --key-no | --timeout | --wait-timeout | --app | -a | --file | -f | -t)
      COMPREPLY=()
      return
      ;;
    -r | --reader)
      COMPREPLY=($(compgen -W "$(_norvex_readers)" -- "$current"))
      return
      ;;
    --uid)
      COMPREPLY=($(compgen -W "$(_norvex_uids)" -- "$current"))
      return
      ;;
    --product)
      COMPREPLY=($(compgen -W "0x0110 0x0120" -- "$current"))
      return
      ;;
    -i | --input | --raw)
      COMPREPLY=($(compgen -f -- "$current"))
      return
      ;;
    -t | --key-type | --app-key-type | --new-key-type)
      [ "${COMP_WORDS[1]}" = desfire ] || return
      COMPREPLY=($(compgen -W "des 2k3des 3k3des aes" -- "$current"))
      return
      ;;
    --comm)
      COMPREPLY=($(compgen -W "plain mac enc" -- "$current"))
      return
      ;;
  esac

  local common="--reader --product --help"
  local card="--uid --wait --timeout $common"
  local keys="--key --key-file"
  local auth="--password --pack --key"
  case $words_before in
    "")
      COMPREPLY=($(compgen -W "readers scan classic apdu ultralight desfire ndef --help --version" -- "$current"))
      ;;
    readers*) COMPREPLY=($(compgen -W "--json --help" -- "$current")) ;;
    scan*) COMPREPLY=($(compgen -W "--watch --all --json $common" -- "$current")) ;;
    apdu*) COMPREPLY=($(compgen -W "--timeout --json --uid --wait --wait-timeout $common" -- "$current")) ;;
    "classic") COMPREPLY=($(compgen -W "dump restore keys value acl --help" -- "$current")) ;;
    "classic value") COMPREPLY=($(compgen -W "get set inc dec" -- "$current")) ;;
    "classic value"*) COMPREPLY=($(compgen -W "$keys --json $card" -- "$current")) ;;
    "classic dump"*) COMPREPLY=($(compgen -W "$keys --output --force --json --verbose $card" -- "$current")) ;;
    "classic restore"*)
      COMPREPLY=($(compgen -W "$keys --trailers --allow-permanent --dry-run --yes $card" -- "$current")
                 $(compgen -f -- "$current"))
      ;;
    "classic keys"*) COMPREPLY=($(compgen -W "$keys --json $card" -- "$current")) ;;
    "classic acl") COMPREPLY=($(compgen -W "decode" -- "$current")) ;;
    "classic acl decode"*) COMPREPLY=($(compgen -W "--json" -- "$current")) ;;
    "desfire")
      COMPREPLY=($(compgen -W "info apps files read uid free format create-app delete-app change-key
                               create-file write --help" -- "$current"))
      ;;
    "desfire write"*)
      COMPREPLY=($(compgen -W "--app --file --offset --input --key --key-type --key-no $card" \
                     -- "$current") $(compgen -f -- "$current"))
      ;;
    "desfire create-app"*)
      COMPREPLY=($(compgen -W "--app-key-type --keys --settings --iso-fid --df-name --key --key-type
                               --key-no $card" -- "$current"))
      ;;
    "desfire create-file"*)
      COMPREPLY=($(compgen -W "--app --file --type --size --comm --access --iso-fid --key --key-type
                               --key-no $card" -- "$current"))
      ;;
    "desfire change-key"*)
      COMPREPLY=($(compgen -W "--app --new-key --new-key-type --old-key --key-version --yes --key
                               --key-type --key-no $card" -- "$current"))
      ;;
    "desfire format"* | "desfire delete-app"*)
      COMPREPLY=($(compgen -W "--yes --key --key-type --key-no $card" -- "$current"))
      ;;
    "desfire read"*)
      COMPREPLY=($(compgen -W "--app --file --key --key-type --key-no --output --json $card" -- "$current"))
      ;;
    "desfire"*) COMPREPLY=($(compgen -W "--app --file --key --key-type --key-no --json $card" -- "$current")) ;;
    "ultralight") COMPREPLY=($(compgen -W "dump write info auth protect unprotect --help" -- "$current")) ;;
    "ultralight dump"*) COMPREPLY=($(compgen -W "--output --json $auth $card" -- "$current")) ;;
    "ultralight write"*) COMPREPLY=($(compgen -W "--yes $auth $card" -- "$current")) ;;
    "ultralight info"*) COMPREPLY=($(compgen -W "--public-key --json $auth $card" -- "$current")) ;;
    "ultralight auth"* | "ultralight unprotect"*) COMPREPLY=($(compgen -W "$auth $card" -- "$current")) ;;
    "ultralight protect"*)
      COMPREPLY=($(compgen -W "--password --pack --key --from-page --read --auth-limit --current-password --lock-config --yes $card" -- "$current"))
      ;;
    "ndef") COMPREPLY=($(compgen -W "read write format erase --help" -- "$current")) ;;
    "ndef read"*) COMPREPLY=($(compgen -W "--json $card" -- "$current")) ;;
    "ndef write"*)
      # The file after --mime TYPE.
      if [ "${COMP_WORDS[COMP_CWORD - 2]}" = --mime ]; then
        COMPREPLY=($(compgen -f -- "$current"))
      else
        COMPREPLY=($(compgen -W "--text --uri --mime --raw --lang $card" -- "$current"))
      fi
      ;;
    "ndef format"* | "ndef erase"*) COMPREPLY=($(compgen -W "--yes $card" -- "$current")) ;;
  esac
}
complete -o filenames -F _norvex norvex
