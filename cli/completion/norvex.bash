# SPDX-License-Identifier: MIT
# bash completion for norvex: commands, classic and desfire subcommands, options, and files where a command
# takes one (dump files for restore and -o, key files for -k).
_norvex() {
  local current previous words_before
  current=${COMP_WORDS[COMP_CWORD]}
  previous=${COMP_WORDS[COMP_CWORD - 1]}
  words_before="${COMP_WORDS[*]:1:COMP_CWORD-1}"

  case $previous in
    -k | --key | -o | --output)
      COMPREPLY=($(compgen -f -- "$current"))
      return
      ;;
    -r | --reader)
      COMPREPLY=($(compgen -W "USB_0 USB_1 USB_2 USB_3" -- "$current"))
      return
      ;;
    --product)
      COMPREPLY=($(compgen -W "0x0110 0x0120" -- "$current"))
      return
      ;;
    -i | --input)
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
  case $words_before in
    "")
      COMPREPLY=($(compgen -W "readers scan classic apdu ultralight desfire --help --version" -- "$current"))
      ;;
    readers*) COMPREPLY=($(compgen -W "--json --help" -- "$current")) ;;
    scan*) COMPREPLY=($(compgen -W "--watch --json $common" -- "$current")) ;;
    apdu*) COMPREPLY=($(compgen -W "--timeout $common" -- "$current")) ;;
    "classic") COMPREPLY=($(compgen -W "dump restore keys value acl --help" -- "$current")) ;;
    "classic value") COMPREPLY=($(compgen -W "get set inc dec" -- "$current")) ;;
    "classic value"*) COMPREPLY=($(compgen -W "--key $common" -- "$current")) ;;
    "classic dump"*) COMPREPLY=($(compgen -W "--key --output --force --json $common" -- "$current")) ;;
    "classic restore"*)
      COMPREPLY=($(compgen -W "--key --trailers --allow-permanent --dry-run --yes $common" -- "$current")
                 $(compgen -f -- "$current"))
      ;;
    "classic keys"*) COMPREPLY=($(compgen -W "--key --json $common" -- "$current")) ;;
    "classic acl") COMPREPLY=($(compgen -W "decode" -- "$current")) ;;
    "desfire")
      COMPREPLY=($(compgen -W "info apps files read uid free format create-app delete-app change-key
                               create-file write --help" -- "$current"))
      ;;
    "desfire write"*)
      COMPREPLY=($(compgen -W "--app --file --offset --input --key --key-type --key-no $common" \
                     -- "$current") $(compgen -f -- "$current"))
      ;;
    "desfire create-app"*)
      COMPREPLY=($(compgen -W "--app-key-type --keys --settings --iso-fid --df-name --key --key-type
                               --key-no $common" -- "$current"))
      ;;
    "desfire create-file"*)
      COMPREPLY=($(compgen -W "--app --file --type --size --comm --access --iso-fid --key --key-type
                               --key-no $common" -- "$current"))
      ;;
    "desfire change-key"*)
      COMPREPLY=($(compgen -W "--app --new-key --new-key-type --old-key --key-version --yes --key
                               --key-type --key-no $common" -- "$current"))
      ;;
    "desfire format"* | "desfire delete-app"*)
      COMPREPLY=($(compgen -W "--yes --key --key-type --key-no $common" -- "$current"))
      ;;
    "desfire"*) COMPREPLY=($(compgen -W "--app --file --key --key-type --key-no $common" -- "$current")) ;;
    "ultralight") COMPREPLY=($(compgen -W "dump write --help" -- "$current")) ;;
    "ultralight dump"*) COMPREPLY=($(compgen -W "--output $common" -- "$current")) ;;
    "ultralight write"*) COMPREPLY=($(compgen -W "--yes $common" -- "$current")) ;;
  esac
}
complete -o filenames -F _norvex norvex
