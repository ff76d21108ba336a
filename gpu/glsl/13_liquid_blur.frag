out vec4 o;
void main(){
 vec2 c=gl_FragCoord.xy,dir=PP.z>.5?vec2(0,3):vec2(3,0);
 float d0=texelFetch(TB,ivec2(c),0).r,s=0.,n=0.;
 if(d0>1000.){o=vec4(d0);return;}
 for(int k=-10;k<=10;k++){
  float d=texelFetch(TB,ivec2(clamp(c+float(k)*dir,vec2(0),PP.xy-1.)),0).r,w=exp(-.025*float(k*k)-8.*(d-d0)*(d-d0));
  if(d<=1000.){s+=d*w;n+=w;}
 }
 o=vec4(s/n);
}
